# Front door: make deps | build | test | run | bench | fuzz | package | clean
# SANITIZE=1 builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# TSAN=1 with ThreadSanitizer.
BUILD_TYPE ?= RelWithDebInfo
SANITIZE   ?= 0
TSAN       ?= 0
BUILD_DIR  ?= $(if $(filter 1,$(SANITIZE)),build-asan,$(if $(filter 1,$(TSAN)),build-tsan,build))
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: deps configure build test run bench fuzz package clean

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DVELTRANO_SANITIZE=$(SANITIZE) -DVELTRANO_TSAN=$(TSAN)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

# The main job: make the demo project from the fixtures (with this checkout's
# paths), convert it with the default MP4 profile into out/ with the headless
# converter, and, with a display, open it in the desktop program.
DEMO_PROJECT := $(CURDIR)/samples/demo.pvxp
DEMO_OUT     := $(CURDIR)/out
run: build
	$(BUILD_DIR)/tools/veltrano-demo $(DEMO_PROJECT)
	$(BUILD_DIR)/tools/veltrano-cli/veltrano-cli convert $(DEMO_PROJECT) \
	  --profile "MP4 video (H.264 + AAC)" --out $(DEMO_OUT) --existing overwrite
	@echo "The converted files are in $(DEMO_OUT)/"
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then $(BUILD_DIR)/veltrano/veltrano $(DEMO_PROJECT); fi

bench: build
	bash bench/run-all.sh $(BUILD_DIR)

# A Debian package of the installed layout, in $(BUILD_DIR)/.
package: build
	cmake --build $(BUILD_DIR) --target package

fuzz: deps
	bash fuzz/run-all.sh $(FUZZ_SECONDS)

clean:
	rm -rf build build-asan build-tsan build-fuzz
