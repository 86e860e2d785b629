"""Developer tools of the repository; tools.fuzzing is the fuzzer's package."""
