"""The end-to-end tests and their harness (the tests import it as `harness`, run from this folder)."""
