# The two commands of the README are `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
GL_LABELS = ^(render|io|mvo|window|view|view_window|config_pages|operators|annotation|plotter|results|cli|ui)$$

.PHONY: bootstrap configure build run test test-asan bench fuzz format clean

bootstrap:
	@scripts/bootstrap

configure: bootstrap
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Core tests under address and undefined-behaviour sanitizers (no Qt, benchmarks or install test).
test-asan: bootstrap
	@test -f $(ASAN_BUILD)/build.ninja || cmake -S . -B $(ASAN_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Debug -DKETRA_SANITIZE=ON -DKETRA_BUILD_UI=OFF \
	  -DKETRA_BUILD_BENCH=OFF -DKETRA_BUILD_FUZZ=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp \
	  ctest --output-on-failure -j $(JOBS) -LE '$(GL_LABELS)'
	# Programs that make a GL context: Mesa's driver is unloaded before the leak check, so
	# its few cached allocations cannot be named or suppressed; address and undefined-
	# behaviour checks stay on.
	cd $(ASAN_BUILD) && ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) -L '$(GL_LABELS)'

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@scripts/bench $(BUILD)

# libFuzzer campaign (clang): FUZZ_SECONDS per target (default 300), FUZZ_TARGETS to pick.
fuzz:
	@scripts/bootstrap fuzz
	@scripts/fuzz

format:
	@find src apps tests bench fuzz -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
