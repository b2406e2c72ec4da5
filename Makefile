# The two commands of the README: `make run` and `make test`.
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS ?= 2
SAMPLE ?= $(BUILD)/share/tavrel/Motion

.PHONY: deps build run test bench clean

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j$(JOBS)

run: build
	bash scripts/run.sh $(BUILD)

# Every test in the release build (on a virtual X server: the ui label opens GL windows),
# then the core libraries' unit tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the threaded sound streaming tests under ThreadSanitizer.
test: build
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVREL_SANITIZE=ON -DTAVREL_CORE_ONLY=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVREL_TSAN=ON -DTAVREL_CORE_ONLY=ON
	cmake --build $(TSAN_BUILD) -j$(JOBS) --target test_wave_streaming
	cd $(BUILD) && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j$(JOBS)
	cd $(ASAN_BUILD) && ctest -L unit --output-on-failure -j$(JOBS)
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_BUILD)/bin/test_wave_streaming

bench: build
	for b in $(BUILD)/bin/bench_*; do $$b; done
	bash scripts/bench-startup.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)
