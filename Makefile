# Front door: make deps | build | test | run | bench | fuzz | clean
# SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer.
BUILD_TYPE ?= RelWithDebInfo
SANITIZE   ?= 0
BUILD_DIR  ?= $(if $(filter 1,$(SANITIZE)),build-asan,build)
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: deps configure build test run bench fuzz clean

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVELTRANO_SANITIZE=$(SANITIZE)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

# The engine's demo conversation always runs; with a display the desktop
# program then opens the project it made.
run: build
	$(BUILD_DIR)/tools/veltrano-demo $(BUILD_DIR)/demo
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/veltrano/veltrano $(BUILD_DIR)/demo/demo.pvxp; fi

bench: build
	bash bench/run-all.sh $(BUILD_DIR)

fuzz: deps
	bash fuzz/run-all.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-fuzz
