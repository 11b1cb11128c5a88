"""How the editor tests end: each failure on a line of its own, or one line
saying what passed; the exit status for ctest."""


def report(failures, passed):
    for failure in failures:
        print("FAILED:", failure)
    if not failures:
        print(passed)
    return 1 if failures else 0
