"""The benchmarks driven from Python, run from the checkout's root as `python3 -m bench.NAME`."""
