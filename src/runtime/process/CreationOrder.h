#pragma once

// Whether a process created at parentCreated (FILETIME units) may be the one
// that started a process created at ownCreated. The system stamps creation
// with its clock, which advances only at its tick (up to 15.625 ms), so a
// parent and the child it starts at once often carry the same time: equal
// counts as first. A later time is a process that got the parent's id after
// the parent ended.
bool CreatedNoLaterThan(unsigned long long parentCreated, unsigned long long ownCreated);
