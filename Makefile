# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
BIN = $(BUILD)/bin

.PHONY: deps configure build run test bench screenshot clean

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

clean:
	rm -rf $(BUILD)
