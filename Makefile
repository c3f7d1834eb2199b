# The front door: `make` builds, `make demo` runs the loader's main job under
# Wine, `make test` runs every test. Each installs what it needs first.
.PHONY: all build deps demo test test-fast fuzz soak size bench clean

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

test: build
	@echo "==> Running every test (Wine tests take several minutes)"
	@cd build/native && ctest --output-on-failure

# Every fuzz target in turn, FUZZ_SECONDS each (ten minutes by default).
FUZZ_SECONDS ?= 600
fuzz: build
	@echo "==> Fuzzing each reader of outside input for $(FUZZ_SECONDS) s"
	@nice bash scripts/fuzz.sh $(FUZZ_SECONDS) build/native

# SOAK_RUNS complete runs back to back under Wine (200 by default; make test runs 10).
SOAK_RUNS ?= 200
soak: build
	@echo "==> $(SOAK_RUNS) runs back to back under Wine"
	@cd tests/e2e && SOAK_RUNS=$(SOAK_RUNS) LOADER_EXE=$(CURDIR)/dist/prjLomdra.exe \
		FIXTURES_DIR=$(CURDIR)/build/mingw/tests/bin WINE_TEMPLATE=$(CURDIR)/build/native/wineprefix-template \
		python3 -m unittest -v test_soak

# Leaves out the tests labelled slow (the eight-minute timeout).
test-fast: build
	@cd build/native && ctest --output-on-failure -LE slow

clean:
	rm -rf build dist
