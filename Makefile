# The README's commands. Every target installs missing Debian packages first (scripts/setup.sh
# does nothing when all are present).
.PHONY: setup build test test-asan test-tsan bench format format-check clean

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
CTEST_ARGS ?= -j2 --output-on-failure --timeout 300

setup:
	@scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest $(CTEST_ARGS)

# The test suite under AddressSanitizer + UndefinedBehaviorSanitizer.
test-asan: setup
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAURALIS_SANITIZE=address,undefined -DAURALIS_BUILD_BENCH=OFF
	cmake --build $(BUILD_ASAN)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest $(CTEST_ARGS)

# The test suite under ThreadSanitizer.
test-tsan: setup
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAURALIS_SANITIZE=thread -DAURALIS_BUILD_BENCH=OFF
	cmake --build $(BUILD_TSAN)
	cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1 ctest $(CTEST_ARGS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done; true

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

format-check:
	git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN)
