# The fuzz targets, each tests/fuzz/<target>.cpp with its corpus in
# tests/fuzz/corpus/<target>/: built by tests/fuzz/CMakeLists.txt, run by
# tests/package/CMakeLists.txt.
set(FUZZ_TARGETS wizard_reader extract build resource_tree icon agreement package_cmake trust_roots digests)
