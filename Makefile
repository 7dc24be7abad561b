# The README's commands. Every target installs missing Debian packages first (scripts/setup.sh
# does nothing when all are present).
.PHONY: run setup build test test-asan test-tsan bench fuzz format format-check clean soak
.PHONY: package

BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_FUZZ ?= build-fuzz
CTEST_ARGS ?= -j2 --output-on-failure --timeout 300

setup:
	@scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest $(CTEST_ARGS)

# The main program against the virtual earbuds of `auralis-sim --demo` (needs a display; without
# one it says how to use Xvfb). The sim stops when the program closes. It sets up and builds
# before looking for a display, so the xvfb-run it suggests is installed by then.
run: build
	@scripts/run.sh $(BUILD) $(RUN_ARGS)

# The test suite under AddressSanitizer + UndefinedBehaviorSanitizer (the packaging checks,
# which build the Debian package and installer and run no code of ours under test, run in
# `make test` only).
test-asan: setup
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAURALIS_SANITIZE=address,undefined -DAURALIS_BUILD_BENCH=OFF
	cmake --build $(BUILD_ASAN)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest $(CTEST_ARGS) -E '^packaging\.'

# The test suite under ThreadSanitizer, within CI's hour: only the suites whose threads are the
# point are built (with the programs they start), and only they run. Left out: ui_tests, fota_tests
# and flow_tests (their threaded parts, the dispatcher's cross-thread calls and the transfer flow,
# also run in app_tests and integration_tests; all ran clean under TSan), structure_tests (include
# rules, no code run), platform_window_tests (window backends, UI thread only), the packaging
# checks (install tree and packages; they need the tools and the installer built too), the tools,
# ui-gallery, the soak test and the benchmarks. TSAN_TARGETS="..." builds other suites; ctest
# runs every suite built in $(BUILD_TSAN) and skips the tests of those not built (it names them
# <suite>_NOT_BUILT). Races inside uninstrumented third-party libraries are suppressed in
# tests/tsan-suppressions.txt, each with its reason.
TSAN_TARGETS ?= base_tests platform_tests platform_bluetooth_tests platform_bluetooth_bluez_tests \
                bluez_end_to_end_tests services_tests link_tests sim_tests ctl_tests \
                integration_tests updater_tests app_tests platform_desktop_tests
TSAN_OPTIONS_CI ?= halt_on_error=1 second_deadlock_stack=1 \
                   suppressions=$(CURDIR)/tests/tsan-suppressions.txt
test-tsan: setup
	cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DAURALIS_SANITIZE=thread -DAURALIS_BUILD_BENCH=OFF
	cmake --build $(BUILD_TSAN) --target $(TSAN_TARGETS)
	cd $(BUILD_TSAN) && TSAN_OPTIONS="$(TSAN_OPTIONS_CI)" ctest $(CTEST_ARGS) -E '_NOT_BUILT$$|^packaging\.'

# The libFuzzer targets, built with clang under AddressSanitizer + UBSan with every library
# instrumented; each runs FUZZ_SECONDS on its seed corpus (fuzz/corpus/<what>, read only) plus
# the inputs it found before (build-fuzz/corpus/<what>). A crash or sanitizer report fails, and
# leaves the input in build-fuzz/artifacts/<what>/.
FUZZ_SECONDS ?= 60
FUZZERS      ?= link_receive fota_package web_answer setting_file flags_file string_table \
                ctl_command_line
fuzz: setup
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DAURALIS_BUILD_FUZZ=ON -DAURALIS_BUILD_TESTS=OFF -DAURALIS_BUILD_BENCH=OFF \
	  -DAURALIS_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
	cmake --build $(BUILD_FUZZ) --target auralis_fuzzers
	@for f in $(FUZZERS); do \
	  mkdir -p $(BUILD_FUZZ)/corpus/$$f $(BUILD_FUZZ)/artifacts/$$f || exit 1; \
	  echo "fuzz_$$f: $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    $(BUILD_FUZZ)/bin/fuzz_$$f -max_total_time=$(FUZZ_SECONDS) -timeout=10 -print_final_stats=1 \
	    -artifact_prefix=$(BUILD_FUZZ)/artifacts/$$f/ $(BUILD_FUZZ)/corpus/$$f fuzz/corpus/$$f \
	    || { echo "fuzz_$$f failed"; exit 1; }; \
	done

bench: build
	@for b in $(BUILD)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done; true

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

format-check:
	git ls-files '*.h' '*.cpp' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) $(BUILD_FUZZ)

# The Debian package (build/packages/auralis-manager_VERSION_amd64.deb); the per-user installer
# build/bin/AuralisManagerSetup-VERSION.run is made by every build.
package: build
	cmake --build $(BUILD) --target package

# The soak test (minutes; not part of `make test`): 200 connect/disconnect cycles and 20 firmware
# transfers of one link through auralis-sim; fails when the process ends with more file
# descriptors or threads than after the first cycle, or more than 4 MiB more resident memory.
soak: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) --target soak_tests
	cd $(BUILD)/bin && ./soak_tests
