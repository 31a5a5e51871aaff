# make run   installs what is missing, builds, opens the window
# make test  installs what is missing, builds, runs every test headless

PRESET ?= default
BUILD  := build/$(PRESET)
BIN    := $(BUILD)/app/zelqon

BUILD_PACKAGES := g++ make cmake ninja-build qt6-base-dev qt6-serialport-dev
RUN_PACKAGES   := fonts-dejavu-core fonts-liberation2
SHOT_PACKAGES  := xvfb xauth xdotool imagemagick

.PHONY: all deps build run test test-sanitize soak screenshot clean

all: build

deps:
	@scripts/install-deps.sh $(BUILD_PACKAGES) $(RUN_PACKAGES)

build: deps
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

run: build
	$(BIN)

test: build
	ctest --preset $(PRESET)

# The whole suite again, built with AddressSanitizer and UBSan.
test-sanitize:
	$(MAKE) test PRESET=sanitize

# The reliability cases in their long forms: 10 MB through the line, a
# million typed port texts against the reference reading.
soak: build
	ZELQON_SOAK=1 QT_QPA_PLATFORM=offscreen $(BUILD)/tests/tst_reliability

screenshot: build
	@scripts/install-deps.sh $(SHOT_PACKAGES)
	scripts/screenshot.sh $(BIN) docs/screenshot.png

clean:
	rm -rf build
