# The two set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 4)
BUILD_TYPE ?= RelWithDebInfo

.PHONY: run test deps configure build clean

deps:
	@scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel $(JOBS) --timeout 300

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "ambrel: no display found (DISPLAY/WAYLAND_DISPLAY unset); starting on the offscreen platform" >&2; \
	  QT_QPA_PLATFORM=offscreen $(BUILD_DIR)/src/App/ambrel; \
	else \
	  $(BUILD_DIR)/src/App/ambrel; \
	fi

clean:
	rm -rf $(BUILD_DIR)
