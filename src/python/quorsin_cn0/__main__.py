"""`python -m quorsin_cn0`: the same command line as the `quorsin-cn0` script."""

from quorsin_cn0.cli import main

if __name__ == "__main__":
    main(prog_name="quorsin-cn0")
