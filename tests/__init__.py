"""The tests; a package so that the benchmarks can import the end-to-end harness."""
