# Every target installs the Debian packages that are missing first.
BUILD      := build/dev
ASAN_BUILD := build/asan
BENCH_BUILD:= build/release
JOBS       ?= $(shell nproc)

.PHONY: all run test test-asan fuzz bench packages build clean

all: build

packages:
	@tools/install-packages.sh

build: packages
	@cmake --preset dev >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@tools/run-with-simulator.sh $(BUILD)

# Every test: the suite, the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and a short run of each fuzz target.
test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure --timeout 300
	@$(MAKE) --no-print-directory test-asan
	tests/fuzz/run.sh short

test-asan: packages
	@cmake --preset asan >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure --timeout 600

fuzz: packages
	tests/fuzz/run.sh long

bench: packages
	@cmake --preset release >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run.sh $(BENCH_BUILD)

clean:
	rm -rf build
