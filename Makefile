# The two commands a new machine needs: `make run` and `make test`.
MAKEFLAGS += --no-print-directory
BUILD ?= build
ASAN_BUILD ?= build-asan
PACKAGE_BUILD ?= build-package
PREFIX ?= /usr/local
FUZZ_BUILD ?= build-fuzz
# Seconds each fuzz target runs for in `make fuzz`.
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
# Our builds treat warnings as errors; a packager's build leaves this out.
CMAKE_FLAGS ?= -DSNAPRILL_WERROR=ON

.PHONY: deps configure build run test test-asan test-usb fuzz bench demo format check-format tidy install package clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/app/snaprill

# The program on two virtual phones made in a temporary folder, one of them
# in modem mode; nothing of the user's settings is touched.
demo: build
	@scripts/demo $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSNAPRILL_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j$(JOBS)

# Every parser of outside input under libFuzzer with ASan and UBSan (clang),
# FUZZ_SECONDS each; a finding fails the target.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSNAPRILL_FUZZ=ON -DSNAPRILL_BUILD_TESTS=OFF $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(FUZZ_BUILD) -j$(JOBS) --target fuzz_targets
	@fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Linux backend against an emulated phone on a real kernel USB stack.
test-usb: build
	@tests/usb/run

bench: build
	$(BUILD)/bench/snaprill_bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

# Fails, naming each place, when a source is not formatted as .clang-format says.
check-format: deps
	@git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# clang-tidy with .clang-tidy over our sources in the build; a file that
# passed is checked again only once something it is made of changed.
tidy: build
	@scripts/tidy $(BUILD) -j $(JOBS)

# Installs into PREFIX (with DESTDIR, when set, before it): the program, its
# language files, desktop entry, icons, AppStream metadata and udev rules.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package from a packager's build: Release, the program only, and
# warnings left as warnings.
package: deps
	@cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=Release -DSNAPRILL_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j$(JOBS)
	cd $(PACKAGE_BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(PACKAGE_BUILD) $(FUZZ_BUILD)
