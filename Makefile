# Ferrow: `make demo` and `make test` are the two commands a new machine needs.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
# CI treats every compiler warning as an error.
CMAKE_WARN := $(if $(CI),-DFERROW_WERROR=ON,)

PREFIX     ?= /usr/local

.PHONY: all deps configure build test bench fault-run demo check-sanitize check-tsan fuzz clean \
        install package package-check screenshots

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_GEN) $(CMAKE_WARN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 240

# DESTDIR, when set, is put in front of PREFIX (for staging).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package in $(BUILD), e.g. build/ferrow_0.1_amd64.deb.
package: deps
	$(MAKE) build
	cd $(BUILD) && cpack -G DEB

# Installs the package into a clean Debian 12 root, runs it, removes it (root, network).
package-check: package
	tools/package-check.sh "$$(ls -t $(BUILD)/ferrow_*.deb | head -n 1)"

bench: deps
	$(MAKE) build
	bench/run-all.sh $(BUILD)

# Not part of test or bench: minutes of transfers through a fault-injecting proxy.
# Options go in FAULT_RUN_ARGS, e.g. make fault-run FAULT_RUN_ARGS="--seed 42 --count 20".
fault-run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target ferrow-ftp
	/usr/bin/python3 bench/faultrun/faultrun.py --tool $(BUILD)/tools/ferrow-ftp $(FAULT_RUN_ARGS)

demo: deps
	$(MAKE) build
	tools/demo.sh $(BUILD)

# Pictures of every window under docs/screens/ (xvfb-run, the demo server); SCREENS=text
# takes only the scenes whose names contain it.
screenshots: deps
	$(MAKE) build
	tools/screenshots.sh $(BUILD) $(if $(SCREENS),--only $(SCREENS),)

$(BUILD_ASAN)/build.ninja:
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DFERROW_SANITIZE=ON

check-sanitize: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 480

# The Qt Core libraries only (FERROW_APPS off); the engine's and the queue's tests run.
$(BUILD_TSAN)/build.ninja:
	cmake -S . -B $(BUILD_TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DFERROW_TSAN=ON -DFERROW_APPS=OFF

check-tsan: deps $(BUILD_TSAN)/build.ninja
	cmake --build $(BUILD_TSAN) -j $(JOBS)
	cd $(BUILD_TSAN) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$(CURDIR)/tests/tsan.supp \
	  ctest --output-on-failure -j $(JOBS) --timeout 480 -R 'Engine|Ftp|Transfer|Decide'

fuzz: deps
	fuzz/run-all.sh

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) build-fuzz
