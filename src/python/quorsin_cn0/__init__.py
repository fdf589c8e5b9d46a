"""GNSS signal-quality analysis: C/N0 statistics, anomalies, visibility prediction and
interference verdicts from RINEX observation and navigation files."""

# Everything public comes from the compiled core; the command line (quorsin_cn0.cli), the HTML
# report (quorsin_cn0.report) and the notebook card sit beside it and are imported on demand.
from quorsin_cn0 import _core
from quorsin_cn0._core import *  # noqa: F401,F403
from quorsin_cn0._core import VERSION, __all__, __version__  # noqa: F401

__doc__ = _core.__doc__


def _repr_html_(self: "AnalysisResult") -> str:  # noqa: F405
    """HTML summary card for notebooks: verdict, grade, key figures and a small C/N0 plot."""
    from quorsin_cn0._card import result_card

    return result_card(self)


AnalysisResult._repr_html_ = _repr_html_  # type: ignore[attr-defined]  # noqa: F405
del _repr_html_
