# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
BIN = $(BUILD)/bin

.PHONY: deps configure build run test bench screenshot clean fuzz

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
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure --timeout 60

bench: build
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

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
