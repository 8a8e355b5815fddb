# The two commands of the README, and a few more. Everything builds out of tree in build/.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
WERROR     := $(if $(CI),ON,OFF)
CMAKE_ARGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHOURLINK_WERROR=$(WERROR)

.PHONY: deps build run test package screenshot unit-asan bench fuzz format clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DHOURLINK_BENCH=OFF
	cmake --build $(BUILD) -j$(JOBS)

# Starts the program from a run folder inside the build tree, where it keeps datatime.dat.
run: build
	mkdir -p $(BUILD)/run
	cp Readme.txt $(BUILD)/run/Readme.txt
	cd $(BUILD)/run && ../hourlink

# Under CI=true a test that cannot run (a missing privilege, a skip) fails the run with its reason;
# elsewhere the tests that did not run are listed at the end.
test: build
	bash scripts/ctest-run.sh $(BUILD) --output-on-failure -j$(JOBS) --timeout 600
	$(MAKE) --no-print-directory unit-asan
	HOURLINK_WERROR=$(WERROR) bash fuzz/run.sh --seconds $(FUZZ_TEST_SECONDS) $(FUZZ_BUILD)
	@for f in $(BUILD)/skipped-tests.txt $(ASAN_BUILD)/skipped-tests.txt; do \
	    if [ -s $$f ]; then echo "Skipped in $$(dirname $$f):"; cat $$f; fi; \
	done

# The Debian package, $(BUILD)/hourlink_<version>_<arch>.deb; install it with `sudo apt install ./$(BUILD)/hourlink_*.deb`.
package: build
	cmake --build $(BUILD) --target package
	bash tests/package/test_package.sh $(BUILD) || [ $$? -eq 77 ]

# The README's picture of the window, taken in a private X server.
screenshot: build
	bash scripts/screenshot.sh $(BUILD)/hourlink docs/hourlink-window.png

# The unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
unit-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DHOURLINK_SANITIZE=ON -DHOURLINK_WERROR=$(WERROR)
	cmake --build $(ASAN_BUILD) -j$(JOBS) --target unit_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	    bash scripts/ctest-run.sh $(ASAN_BUILD) --output-on-failure -j$(JOBS) -L unit --timeout 600

# The benchmarks are built only here, which keeps them out of the time `make test` takes.
bench: deps
	cmake -S . -B $(BUILD) $(CMAKE_ARGS) -DHOURLINK_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)
	bash bench/run-all.sh $(BUILD)
	bash bench/footprint/footprint.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

# The libFuzzer targets (clang, ASan + UBSan), in a build of their own. `make test` runs each for
# FUZZ_TEST_SECONDS; `make fuzz` runs them for FUZZ_SECONDS each, growing the corpus in $(FUZZ_BUILD)/corpus.
FUZZ_BUILD        ?= build-fuzz
FUZZ_TEST_SECONDS ?= 30
FUZZ_SECONDS      ?= 600

fuzz: deps
	HOURLINK_WERROR=$(WERROR) bash fuzz/run.sh --seconds $(FUZZ_SECONDS) $(FUZZ_BUILD)
