# One command each: every target installs what is missing, configures, builds and runs.
BUILD      ?= build
ASAN_BUILD ?= build-asan
CLANG_BUILD ?= build-clang
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
XVFB       := scripts/with-display
CMAKE_ARGS := -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps build build-asan build-clang test-programs test-programs-asan compile-clang run test test-fast \
	bench-program bench bench-baseline fuzz clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/build.ninja: | deps
	@cmake -S . -B $(BUILD) $(CMAKE_ARGS) >/dev/null

$(ASAN_BUILD)/build.ninja: | deps
	@cmake -S . -B $(ASAN_BUILD) $(CMAKE_ARGS) -DPE_SANITIZE=ON -DPE_BENCH=OFF >/dev/null

# Every source, test and benchmark also compiles with clang, warnings as errors: unoptimised,
# without debug information, since nothing runs from this build.
$(CLANG_BUILD)/build.ninja: | deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B $(CLANG_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=None >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	@cmake --build $(ASAN_BUILD) -j $(JOBS)

build-clang: deps $(CLANG_BUILD)/build.ninja
	@cmake --build $(CLANG_BUILD) -j $(JOBS)

# What the tests need: the test programs, the editor the end-to-end tests start and the fuzz
# replays; not the benchmarks.
test-programs: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS) --target test_programs

test-programs-asan: deps $(ASAN_BUILD)/build.ninja
	@cmake --build $(ASAN_BUILD) -j $(JOBS) --target test_programs

# The clang build's object files alone: nothing runs from it, so nothing is linked.
compile-clang: deps $(CLANG_BUILD)/build.ninja
	@cmake --build $(CLANG_BUILD) -j $(JOBS) --target \
	  $$(ninja -C $(CLANG_BUILD) -t targets all | sed -n 's/^\([^:]*\.o\): .*_COMPILER__.*/\1/p')

# With a display the editor opens its windows; without one it runs a few hundred frames
# under Xvfb and writes screenshots.
run: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS) --target particle-editor
	@scripts/run-editor $(BUILD)/particle-editor

# Every test, then every test again under AddressSanitizer and UndefinedBehaviorSanitizer
# (but the picture runs of the panels, half a minute each, which the plain pass judges); the
# whole tree also compiles with clang. The leak checker does not follow dynamic TLS: at exit
# it met stale blocks of the GL driver's threads there and crashed in its tracer now and
# then; our own thread-local data is static TLS, which it still scans.
test: test-programs test-programs-asan compile-clang
	@$(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:intercept_tls_get_addr=0 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  $(XVFB) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) --label-exclude pictures

# The plain build's tests only.
test-fast: test-programs
	@$(XVFB) ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Each libFuzzer target for FUZZ_SECONDS (make fuzz FUZZ_SECONDS=600), built with clang.
fuzz:
	@scripts/install-deps
	@[ -f $(FUZZ_BUILD)/build.ninja ] || CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) $(CMAKE_ARGS) -DPE_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Every benchmark, then a table of each target beside its figure and this machine's baseline
# (bench/baseline/NAME.json, NAME from BENCH_MACHINE or else the host name); fails when a
# target is missed, unless BENCH_CHECK=0. `make bench-baseline` records this run's figures,
# with the machine's core count and load average, as its baseline, whether or not every target
# holds.
BENCH_CHECK ?= 1
BENCH_RUN = SDL_AUDIODRIVER=dummy $(XVFB) $(BUILD)/particle_bench --figures=$(BUILD)/bench-figures.json

bench-program: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS) --target particle_bench

bench: bench-program
	@$(BENCH_RUN) --check=$(BENCH_CHECK)

bench-baseline: bench-program
	@$(BENCH_RUN) --check=0 --record

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(CLANG_BUILD) $(FUZZ_BUILD) out
