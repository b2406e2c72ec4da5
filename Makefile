# The two commands of the README: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
MONKEY_BUILD ?= build-asan-app
MONKEY_SECONDS ?= 600
SEED ?= $(shell date +%s)
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = $(foreach h,cha chb htr bvh scn bmp tga wav project ini image video scenefile collada fbx record,fuzz_$(h) replay_$(h)) tavrel-import
SOAK_ENV = ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/RKWindow/soak-leaks.supp
TSAN_TESTS = test_wave_streaming test_browse_core test_RKWindow_frames
JOBS ?= 2
SAMPLE ?= $(BUILD)/share/tavrel/Motion

.PHONY: deps build run test bench clean fuzz fuzz-build soak monkey

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

run: build
	bash scripts/run.sh $(BUILD)

# Every test in the release build (on a virtual X server: the ui label opens GL windows; a
# short run of random input on the whole editor among them, seed 1), then the core libraries'
# unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer (both replay every fuzz corpus), the threaded tests (sound
# streaming, thumbnail worker, preview player) under ThreadSanitizer, and a fixed fuzzing run of
# every reader (the same runs from the same seed each time; `make fuzz` searches further).
# The X server runs with -noreset: by default it resets whenever its last client leaves, and a
# test that starts during the reset cannot connect.
test: build fuzz-build
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVREL_SANITIZE=ON -DTAVREL_CORE_ONLY=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVREL_TSAN=ON -DTAVREL_CORE_ONLY=ON
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target $(TSAN_TESTS)
	cd $(BUILD) && xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure --timeout 600 -j$(JOBS)
	cd $(ASAN_BUILD) && ctest -L unit --output-on-failure --timeout 600 -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/bin/test_wave_streaming
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/bin/test_browse_core
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/bin/test_RKWindow_frames --gtest_filter='*Preview*'
	TAVREL_SOAK_FRAMES=1900 $(SOAK_ENV) $(ASAN_BUILD)/bin/test_soak
	FUZZ_RUNS=fixed bash scripts/fuzz.sh $(FUZZ_BUILD)

# Plays an 18000-frame timeline under AddressSanitizer with leak checking (prints its memory).
soak: build
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVREL_SANITIZE=ON -DTAVREL_CORE_ONLY=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS) --target test_soak
	TAVREL_SOAK_FRAMES=18000 $(SOAK_ENV) $(ASAN_BUILD)/bin/test_soak

# Random input on the whole editor for MONKEY_SECONDS, built with AddressSanitizer and
# UndefinedBehaviorSanitizer; fails when the window thread stands still for more than 2 s.
# The seed is printed: `make monkey SEED=...` replays a run. Qt's own allocations for the
# process's lifetime would drown the leak report, so leaks are not checked here.
monkey: deps
	cmake -S . -B $(MONKEY_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVREL_SANITIZE=ON -DTAVREL_BENCH=OFF
	cmake --build $(MONKEY_BUILD) -j$(JOBS) --target test_monkey
	ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 TAVREL_MONKEY_SEED=$(SEED) TAVREL_MONKEY_SECONDS=$(MONKEY_SECONDS) \
	  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" $(MONKEY_BUILD)/bin/test_monkey

# The readers' libFuzzer harnesses (clang, AddressSanitizer and UndefinedBehaviorSanitizer).
fuzz-build: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVREL_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j$(JOBS) --target $(FUZZ_TARGETS)

# Fuzzes every reader for FUZZ_SECONDS each; findings land in $(FUZZ_BUILD)/findings.
fuzz: fuzz-build
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: build
	for b in $(BUILD)/bin/bench_*; do $$b; done
	bash scripts/bench-startup.sh $(BUILD)
	bash scripts/bench-bake.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(MONKEY_BUILD)
