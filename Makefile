# The front door: `make` builds, `make demo` runs the loader's main job under
# Wine, `make test` runs every test, `make release` writes the zip a vendor
# ships from. Each installs what it needs first.
.PHONY: all build deps demo test test-fast format fuzz soak size bench release sign clean

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

# The loader against a peer installer: time to window, size, CPU while waiting;
# the close delay after the setup program's end (`benchmark.py close`: only that), the size
# breakdown, then a bound run against an unbound one and `openssl dgst -sha256`
# (`benchmark.py binding`: only that).
bench: build
	@python3 scripts/benchmark.py

demo: build
	@python3 scripts/demo.py

# dist/release/setup-loader-<version>.zip: the loader, the packager's guide,
# the demo's screenshot and SHA256SUMS. With CERT and KEY the loader in the
# zip is signed.
release: build
	@CERT="$(CERT)" KEY="$(KEY)" python3 scripts/release.py

# Signs EXE (the built loader unless given) in place with CERT and KEY.
EXE ?= dist/prjLomdra.exe
sign: deps
	@if [ -z "$(CERT)" ] || [ -z "$(KEY)" ]; then \
		echo "usage: make sign CERT=cert.pem KEY=key.pem [EXE=$(EXE)]" >&2; exit 2; fi
	@bash scripts/sign.sh "$(CERT)" "$(KEY)" "$(EXE)"

# Side by side: each Wine test has its own X display and Wine prefix. The
# slow test (started first) mostly waits; the others take turns in the other
# slot, as two busy Wine tests at once upset timing-bound cases on two cores.
test: build
	@echo "==> Running every test side by side (about nine minutes, most of it the slow test)"
	@cd build/native && ctest --output-on-failure -j 2

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
	@cd build/native && ctest --output-on-failure -j 2 -LE slow

# Rewrites every C++ source in the project's style (.clang-format); the
# "format" test of make test fails until this has been run.
format: deps
	@bash scripts/format.sh

clean:
	rm -rf build dist
