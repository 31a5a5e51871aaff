# make run   installs what is missing, builds, opens the window
# make test  installs what is missing, builds, runs every test headless

PRESET ?= default
BUILD  := build/$(PRESET)
BIN    := $(BUILD)/app/zelqon

BUILD_PACKAGES := g++ make cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libxcb1-dev libtomlplusplus-dev libssl-dev
RUN_PACKAGES   := fonts-dejavu-core fonts-liberation2 qt6-translations-l10n
TEST_PACKAGES  := python3 openssl desktop-file-utils shared-mime-info appstream dpkg-dev file binutils lintian ser2net
SHOT_PACKAGES  := xvfb xauth x11-utils xdotool imagemagick
LINT_PACKAGES  := clang-format clang-tidy
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix mingw-w64-tools nsis zip icoutils
WINE_PACKAGES  := wine wine64 xvfb xauth xdotool x11-utils imagemagick ser2net python3

.PHONY: all deps build run test test-sanitize windows test-windows bench bench-quick package lint screenshot clean

all: build

deps:
	@scripts/install-deps.sh $(BUILD_PACKAGES) $(RUN_PACKAGES)

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

run: build
	$(BIN)

test: build
	@scripts/install-deps.sh $(TEST_PACKAGES)
	ctest --preset $(PRESET)

# The whole suite again, built with AddressSanitizer and UBSan.
test-sanitize:
	$(MAKE) test PRESET=sanitize

# zelqon.exe and zelqon-cli.exe for Windows, cross-built with MinGW-w64
# against Qt for MinGW (from ../shared/windows when it is there, else built
# once into ~/.cache/zelqon); then build/windows/zelqon_<version>_win64-setup.exe
# and the portable build/windows/zelqon_<version>_win64.zip.
windows: build
	@scripts/install-deps.sh $(WINDOWS_PACKAGES)
	packaging/windows/build.sh $(BUILD)

# The Windows programs cross-built (packed by the tests themselves), the test
# programs under Wine, then both programs and the installer end to end with a
# pseudo-terminal as COM1, on a private Xvfb display.
test-windows: build
	@scripts/install-deps.sh $(WINDOWS_PACKAGES) $(WINE_PACKAGES)
	packaging/windows/build.sh $(BUILD) --no-packages
	ctest --preset windows

# Start-up, memory, click to line, idle cost, monitor growth, factory gaps and
# zelqon-cli's first byte, on a private Xvfb display; the figures in
# docs/performance.md come from here.
bench: build
	@scripts/install-deps.sh $(SHOT_PACKAGES) ser2net
	bench/run.sh $(BUILD)

bench-quick: build
	@scripts/install-deps.sh $(SHOT_PACKAGES) ser2net
	bench/run.sh $(BUILD) quick

# The Debian package, written into $(BUILD): zelqon_<version>_<arch>.deb.
package: build
	@scripts/install-deps.sh $(TEST_PACKAGES)
	cd $(BUILD) && cpack -G DEB
	@ls -1 $(BUILD)/zelqon_*.deb

# clang-format and clang-tidy; not part of `make test`.
lint: build
	@scripts/install-deps.sh $(LINT_PACKAGES)
	scripts/lint.sh $(BUILD)

screenshot: build
	@scripts/install-deps.sh $(SHOT_PACKAGES)
	scripts/screenshot.sh $(BIN) docs/screenshot.png 697x730

clean:
	rm -rf build
