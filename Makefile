# Convenience front end over CMake and CTest. `make test` is what CI runs.
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap build test check test-sanitize run demo bench install clean

all: build

bootstrap:
	./scripts/bootstrap

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DRPS_WERROR=ON $(CMAKE_FLAGS)

build: bootstrap $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Every test, then every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
test: check test-sanitize

check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: bootstrap
	cmake -S . -B $(ASAN_BUILD) -DRPS_WERROR=ON -DRPS_SANITIZE=ON -DRPS_BUILD_BENCH=OFF \
	      -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

run: build
	$(BUILD)/src/receipt-printer-setup

demo: build
	$(BUILD)/sim/printer-sim --demo -- $(BUILD)/src/receipt-printer-setup

# Timings mean something only with full optimisation, so the benchmarks get a Release build of their own.
bench: bootstrap
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DRPS_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target bench_logo
	$(BENCH_BUILD)/bench/bench_logo

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
