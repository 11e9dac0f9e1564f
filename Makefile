# Two entry points: `make run` and `make test`. Everything else is CMake.
EDITION ?= full
BUILD   ?= build
ASAN    ?= build-asan
JOBS    ?= $(shell nproc)

.PHONY: setup configure build run test test-asan screenshots clean

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEDITION=$(EDITION) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD)/run && ./mediawizard

# Every page of every edition, offscreen, into $(BUILD)/screenshots/<edition>/; refreshes docs/screenshot.png.
screenshots: build
	cmake --build $(BUILD) --target screenshots

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-asan

# Core tests again under AddressSanitizer and UndefinedBehaviorSanitizer (no GUI).
test-asan: setup
	@cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMW_SANITIZE=ON -DMW_GUI=OFF >/dev/null
	@cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(ASAN)
