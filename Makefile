# The two set-up commands of the README: `make run` and `make test`.
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 4)
BUILD_TYPE ?= RelWithDebInfo
# The build's own make runs are not announced folder by folder.
MAKEFLAGS += --no-print-directory

.PHONY: run test test-sanitized deps configure build clean

deps:
	@scripts/install-deps

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: deps $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel $(JOBS) --timeout 300

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in a build folder of
# its own: any finding, a leak included, fails the test it happened in.
SANITIZED_DIR ?= build-sanitized
test-sanitized: deps
	cmake -S . -B $(SANITIZED_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAMBREL_SANITIZE=ON
	cmake --build $(SANITIZED_DIR) --parallel $(JOBS)
	cd $(SANITIZED_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel $(JOBS) --timeout 600

# Only the application is built for running, its output kept in a log unless it fails. The
# application itself picks the offscreen platform when no display answers, and says so.
run: configure
	@echo "ambrel: building the application (log: $(BUILD_DIR)/run-build.log)" >&2
	@cmake --build $(BUILD_DIR) --parallel $(JOBS) --target ambrel >$(BUILD_DIR)/run-build.log 2>&1 \
	  || { tail -n 40 $(BUILD_DIR)/run-build.log >&2; exit 1; }
	@$(BUILD_DIR)/src/App/ambrel

clean:
	rm -rf $(BUILD_DIR)
