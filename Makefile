# Convenience front end over CMake and CTest. `make test` is what CI runs.
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
PACKAGE_BUILD ?= build-package
QT6_BUILD ?= build-qt6
FUZZ_BUILD ?= build-fuzz
FUZZ_S ?= 60
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all bootstrap build lint test check test-sanitize test-qt6 fuzz fuzz-build fuzz-merge run demo screenshots bench package install clean

all: build

bootstrap:
	./scripts/bootstrap

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DRPS_WERROR=ON $(CMAKE_FLAGS)

build: bootstrap $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Every test, then every test again under AddressSanitizer and UndefinedBehaviorSanitizer, then
# every test built with Qt 6.
test: check test-sanitize test-qt6

# The package test needs the .deb, so it is switched on here rather than in every build tree.
check: build package
	cmake -S . -B $(BUILD) -DRPS_PACKAGE_TEST=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: bootstrap
	cmake -S . -B $(ASAN_BUILD) -DRPS_WERROR=ON -DRPS_SANITIZE=ON -DRPS_BUILD_BENCH=OFF \
	      -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Qt 5 is the default; the same tree builds and passes with Qt 6. The package stays a Qt 5 one.
test-qt6: bootstrap
	cmake -S . -B $(QT6_BUILD) -DRPS_QT=6 -DRPS_WERROR=ON -DRPS_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(QT6_BUILD) -j $(JOBS)
	cd $(QT6_BUILD) && ctest --output-on-failure -j $(JOBS)

# The fuzz targets, built by clang with libFuzzer, ASan and UBSan, each run for FUZZ_S seconds in
# turn; the reproducer of a finding stays in $(FUZZ_BUILD)/findings/. make test needs none of it:
# every tree replays the corpora with its own compiler.
$(FUZZ_BUILD)/CMakeCache.txt:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
	      -DRPS_FUZZ=ON -DRPS_SANITIZE=ON -DRPS_WERROR=ON -DRPS_BUILD_BENCH=OFF $(CMAKE_FLAGS)

fuzz-build: bootstrap $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz-targets

fuzz: fuzz-build
	./scripts/fuzz run $(FUZZ_BUILD) $(FUZZ_S)

# Folds what the runs found that reaches new code into tests/fuzz/corpus/.
fuzz-merge: fuzz-build
	./scripts/fuzz merge $(FUZZ_BUILD)

# The house style over every C and C++ file, and the static checks over the program and the
# simulator (compiled as the build compiles them, so it comes first). CI runs this before the tests.
lint: build
	git ls-files 'src/*.cpp' 'src/*.h' 'sim/*.cpp' 'sim/*.h' 'sim/*.c' 'tests/*.cpp' 'tests/*.h' \
	    'tests/*.c' 'bench/*.cpp' 'docs/*.cpp' | xargs clang-format --dry-run -Werror
	run-clang-tidy -p $(BUILD) -quiet -j $(JOBS) $$(git ls-files 'src/*.cpp' 'sim/*.cpp' 'sim/*.c')

run: build
	$(BUILD)/src/receipt-printer-setup

demo: build
	@test -x $(BUILD)/sim/printer-sim || { echo "make demo: the simulated printer needs umockdev (Linux)" >&2; exit 1; }
	$(BUILD)/sim/printer-sim --demo -- $(BUILD)/src/receipt-printer-setup

# The README's pictures: every window after Get, in Chinese and in English, against the demo's
# printers, rendered offscreen into docs/screenshots/.
screenshots: build
	cmake --build $(BUILD) -j $(JOBS) --target screenshots

# Timings mean something only with full optimisation, so the benchmarks get a Release build of their own.
bench: bootstrap
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DRPS_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target bench_logo bench_query bench_status bench_all
	$(BENCH_BUILD)/bench/bench_logo
	umockdev-wrapper $(BENCH_BUILD)/bench/bench_query
	umockdev-wrapper $(BENCH_BUILD)/bench/bench_status
	$(BENCH_BUILD)/bench/bench_all

# The package comes from a Release tree of its own with Debian's hardening flags; CPack strips the
# programs. The .deb is copied into $(BUILD), where the package test and the README look for it.
package: bootstrap
	export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DRPS_WERROR=ON \
	      -DRPS_BUILD_TESTS=OFF -DRPS_BUILD_BENCH=OFF \
	      -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	      -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	rm -f $(PACKAGE_BUILD)/*.deb
	cd $(PACKAGE_BUILD) && cpack -G DEB
	mkdir -p $(BUILD) && cp $(PACKAGE_BUILD)/*.deb $(BUILD)/

install: build
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(PACKAGE_BUILD) $(QT6_BUILD) $(FUZZ_BUILD)
