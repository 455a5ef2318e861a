# Entry points for people and CI. Everything below works on a fresh Debian 12
# machine: each target installs what is missing first.

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=

.PHONY: all deps build build-asan test test-normal test-asan demo bench fuzz windows test-windows clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABULON_SANITIZE=ON \
	  -DTABULON_BENCH=OFF $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# Builds and runs every test, in the normal and in the sanitizer build.
test: test-normal test-asan

# The main job on the shipped samples: converts a copy of examples/ with the
# command-line tabulon and prints one sheet of the result.
DEMO_DIR = $(BUILD)/demo
demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target tabulon -j $(JOBS)
	rm -rf $(DEMO_DIR) && mkdir -p $(DEMO_DIR) && cp -R examples $(DEMO_DIR)/
	$(BUILD)/tabulon $(DEMO_DIR)/examples
	@echo
	@echo "$(DEMO_DIR)/zz_examples/Sales/Summary.txt:"
	@cat $(DEMO_DIR)/zz_examples/Sales/Summary.txt

# Times build/tabulon on generated workloads (not part of the tests).
bench: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target tabulon -j $(JOBS)
	bench/convert_bench.sh $(BUILD)/tabulon

# Builds the libFuzzer targets with clang (fuzz/) and runs each for
# FUZZ_SECONDS seconds, one after the other at the lowest priority; corpora,
# crashes and logs stay in $(FUZZ_BUILD). FUZZ_TARGETS picks targets.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
$(FUZZ_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTABULON_FUZZ=ON -DTABULON_TESTS=OFF -DTABULON_BENCH=OFF -DTABULON_GUI=OFF $(CMAKE_FLAGS)

fuzz: deps $(FUZZ_BUILD)/build.ninja
	nice -n 19 cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_TARGETS)

# The Windows executables, cross-built: $(WIN_BUILD)/tabulon.exe and
# $(WIN_BUILD)/tabulon-inspect.exe. The libraries are built once into
# ~/.cache/tabulon-win (about 15 minutes for wxWidgets on 2 cores).
WIN_BUILD ?= build-windows
windows:
	TABULON_WIN_BUILD=$(CURDIR)/$(WIN_BUILD) scripts/build-windows

# Runs tabulon.exe under wine against the Linux build (examples, errors, the window).
test-windows: windows build
	tests/windows/smoke.sh $(BUILD)/tabulon $(WIN_BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
