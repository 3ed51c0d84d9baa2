#pragma once

// --report FILE.html: one self-contained page (inline SVG and CSS, no script,
// nothing fetched) that any browser shows offline. It is well-formed XML, so
// programs can read it too. Sections, by element id:
//   to-match, to-accept, to-start
//              attempts by their time from joining to that point, with the
//              summary's p50 and p90 marked
//   timeline   players over run time (stacked): waiting to join, searching,
//              matched, accepted, waiting on a failed leader, winding down,
//              in a started game, gave up
//   errors     errors raised (ended the attempt / went on / after it had
//              ended), recoveries from 400/504 and the faults injected
//   summary    the text summary

#include <ostream>

#include "Summary.h"

namespace KRSimulator {

void WriteHtmlReport(const SimulationSummary& summary, std::ostream& out);

}  // namespace KRSimulator
