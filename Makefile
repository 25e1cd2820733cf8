# Every target installs what it needs first, so each works on a fresh machine.
.PHONY: all deps build run test test-asan test-tsan test-windows fuzz bench format clean

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 30

all: build

deps:
	@scripts/install-deps

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

# The demo host on http://127.0.0.1:8080/ until Ctrl-C.
run: build
	build/default/host/kxr-host --config build/default/host/demo.toml

test: build
	ctest --preset default -j $(JOBS)

test-asan: deps
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

test-tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan -j $(JOBS)

# The Windows build (MinGW-w64) and its unit and integration tests under Wine;
# it installs its own dependencies (scripts/install-windows-deps).
test-windows:
	JOBS=$(JOBS) scripts/test-windows

# Runs every fuzz target for FUZZ_SECONDS on its saved corpus.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	scripts/run-fuzzers build/fuzz/tests/fuzz $(FUZZ_SECONDS)

# The scan benchmark, the peer benchmark against nginx and lighttpd, then
# pushed events against polling.
bench: deps
	scripts/install-bench-deps
	cmake --preset bench
	cmake --build --preset bench -j $(JOBS)
	scripts/run-benchmarks build/bench/bench
	bench/http/run $(CURDIR)/build/bench
	bench/events/run $(CURDIR)/build/bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
