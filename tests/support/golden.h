// The one way the golden tests reach the core: a page XML document in, the
// RTF document of one layout out, made with the document pipeline's public
// operations only, the way the conversion loop drives it. When that
// pipeline changes shape, this is the only test code that must follow.
#pragma once

#include <string>

struct CLayoutContext;

namespace qmtest {

// The RTF bytes of the document made from the page XML file at `xmlPath`
// in `layout` (kLayoutFlowing, kLayoutExact, kLayoutNoImages or
// kLayoutPlainText), every page of the document from 1 to the highest page
// number in the file; empty when no document can be made of the file.
// Pictures and drawn paths come from the picture step, which is not run.
// `context` stands for the conversion's (the font map folder); without one
// the document keeps its own.
std::string RtfFromPageXml(const std::string& xmlPath, int layout, CLayoutContext* context = nullptr);

}  // namespace qmtest
