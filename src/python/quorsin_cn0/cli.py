"""The `quorsin-cn0` command line."""

from __future__ import annotations

import click


@click.group(invoke_without_command=True)
def main() -> None:
    """Check GNSS observation files."""
