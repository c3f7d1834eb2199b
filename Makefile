# The front door: `make` builds, `make demo` runs the loader's main job under
# Wine, `make test` runs every test. Each installs what it needs first.
.PHONY: all build deps demo test test-fast size bench clean

all: build size

deps:
	@bash scripts/ensure-deps.sh

build: deps
	@echo "==> Building the loader and its Windows test programs (mingw-w64, i686)"
	@cmake --preset mingw >/dev/null
	@cmake --build --preset mingw
	@echo "==> Building the native tests and tools"
	@cmake --preset native >/dev/null
	@cmake --build --preset native

size:
	@bash scripts/size-report.sh dist/prjLomdra.exe

# Size, and the waiting instance's CPU time and memory during a run.
bench: build
	@python3 scripts/benchmark.py

demo: build
	@python3 scripts/demo.py

# Side by side: each Wine test has its own X display and Wine prefix. The
# slow test (started first) mostly waits; the others take turns in the other
# slot, as two busy Wine tests at once upset timing-bound cases on two cores.
test: build
	@echo "==> Running every test side by side (about nine minutes, most of it the slow test)"
	@cd build/native && ctest --output-on-failure -j 2

# Leaves out the tests labelled slow (the eight-minute timeout).
test-fast: build
	@cd build/native && ctest --output-on-failure -j 2 -LE slow

clean:
	rm -rf build dist
