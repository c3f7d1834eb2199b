#pragma once
#include "../platform/Win32.h"
#include "../text/Text.h"

// Fixed attributes of a window, from which it is created when loaded.
struct FormDefinition {
    const char* className;
    const char* caption;
    int leftTwips;  // ignored when centred
    int topTwips;
    int widthTwips;  // the client area; the windows here have no frame
    int heightTwips;
    bool centred;
    COLORREF background;
    int iconResource;  // 0 for none
};

// A top-level window made from a definition: loaded (created, unshown, its
// load handler run), shown modeless, unloaded (its unload handler run, then
// destroyed). Borderless, with no taskbar button.
class Form {
public:
    explicit Form(const FormDefinition& definition) : definition_(definition) {}
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form() = default;

    // Creates the window if it is not loaded yet. False, with Err raised,
    // when the system refuses.
    bool Load();
    bool Show();
    void Unload();
    HWND hWnd() const { return hwnd_; }

    void SetCaption(const Text& caption);
    void SetWidthTwips(int twips);
    void SetHeightTwips(int twips);
    // Screen pixels per inch, as twips are converted.
    static int DotsPerInch();

protected:
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    virtual void Paint(HDC) {}
    // Messages the form handles itself; false passes them to the default.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool RegisterClassOnce();

    const FormDefinition& definition_;
    HWND hwnd_ = nullptr;
    bool unloading_ = false;
};

// A periodic tick on the form's thread; the form receives it as WM_TIMER
// with this timer's id.
class FormTimer {
public:
    FormTimer(Form& owner, UINT_PTR id) : owner_(owner), id_(id) {}
    void SetEnabled(bool enabled);
    void SetInterval(unsigned milliseconds);

private:
    void Apply();

    Form& owner_;
    UINT_PTR id_;
    bool enabled_ = false;
    unsigned interval_ = 0;
};
