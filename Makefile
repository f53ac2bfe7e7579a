# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
# Most tests wait on a meter's time-outs rather than compute, so three run per core; two
# under the sanitizers, whose checks make every test compute more.
TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 3 )))
SAN_TEST_JOBS ?= $(shell echo $$(( $$(nproc) * 2 )))
BIN = $(BUILD)/bin

.PHONY: deps configure build run test test-asan test-tsan package bench screenshot clean fuzz \
	windows test-windows package-windows

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Starts the program on the built-in simulated meter.
run: build
	scripts/run-demo.sh $(BIN)

# Builds and runs every test, in parallel.
test: build
	cd $(BUILD) && ctest -j $(TEST_JOBS) --output-on-failure --timeout 60

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, and the suites
# with threads (device link, simulator, service operations and live pass, CLI, MQTT
# publisher, window)
# under ThreadSanitizer, each in a folder of its own. Any report fails the run.
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
SAN_SUPP = $(CURDIR)/tests/sanitizers
ASAN_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1:strict_init_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	LSAN_OPTIONS=suppressions=$(SAN_SUPP)/lsan.supp:print_suppressions=0
TSAN_ENV = TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(SAN_SUPP)/tsan.supp
TSAN_SUITES = device|sim|service|cli|publish|console
TSAN_TARGETS = test_device test_sim test_service test_cli test_publish test_console qtm200cli qtm200sim qtm200debug

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Asan
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target qtm_tests
	cd $(ASAN_BUILD) && $(ASAN_ENV) ctest -j $(SAN_TEST_JOBS) --output-on-failure --timeout 120

test-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Tsan
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_BUILD) && $(TSAN_ENV) ctest -j $(SAN_TEST_JOBS) -L '^($(TSAN_SUITES))$$' --output-on-failure --timeout 120

# The Debian package (CPack) from the same build, then its check: unpacked into a
# temporary root, the installed qtm200cli run, lintian without errors.
package: build
	cd $(BUILD) && rm -f qtm200debug_*.deb && cpack -G DEB
	scripts/check-package.sh $$(ls $(BUILD)/qtm200debug_*.deb)

# Qt Charts comes in first, so the chart benchmark can compare against it.
bench:
	@scripts/install-deps.sh --bench
	$(MAKE) build
	scripts/run-bench.sh $(BIN)

# Renders the window under Xvfb on the simulated meter and writes screenshot.png.
screenshot: build
	scripts/screenshot.sh $(BIN) screenshot.png

# Every fuzzer for FUZZ_SECONDS (default 60) from its seeds in fuzz/corpus, built with
# clang, ASan and UBSan in its own folder.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -DQTM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/run-fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# qtm200cli for 64-bit Windows, cross-built with mingw-w64 and linked statically.
WIN_BUILD ?= build-windows
windows: deps
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j $(JOBS) --target qtm200cli

# The Qt-free suites built for Windows, and qtm200cli.exe against the (Linux) simulator,
# all under wine in a prefix of their own.
test-windows: windows build
	cmake --build $(WIN_BUILD) -j $(JOBS) --target qtm_windows_tests
	TEST_JOBS=$(TEST_JOBS) scripts/test-windows.sh $(BIN) $(WIN_BUILD)

# qtm200cli-<version>-windows-x64.zip: the .exe, a README for Windows users, the licence.
package-windows: windows
	scripts/package-windows.sh $(WIN_BUILD)

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WIN_BUILD)
