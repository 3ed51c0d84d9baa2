#pragma once

// --report FILE.html: one self-contained page (inline SVG and CSS, no script,
// nothing fetched) that any browser shows offline. It is well-formed XML, so
// programs can read it too. Sections, by element id:
//   histogram  time to match and time to start, attempts per bin
//   timeline   players in each state group over run time (stacked)
//   errors     errors raised (ended the attempt / went on), recoveries from
//              400/504 and the faults injected
//   summary    the text summary

#include <ostream>

#include "Summary.h"

namespace KRSimulator {

void WriteHtmlReport(const SimulationSummary& summary, std::ostream& out);

}  // namespace KRSimulator
