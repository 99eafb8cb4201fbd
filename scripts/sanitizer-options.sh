# Sourced: what the sanitizers do on a report (a status no test accepts) and
# the leak suppressions for the graphics stack.
export ASAN_OPTIONS="exitcode=66:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1${ASAN_EXTRA:+:$ASAN_EXTRA}"
export UBSAN_OPTIONS="exitcode=67:print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="exitcode=68:suppressions=$root/tests/lsan.supp:print_suppressions=0"
