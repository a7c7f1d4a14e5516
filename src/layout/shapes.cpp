// Placeholder shapes and pictures: nothing is drawn until the picture route
// exists.
#include "layout/model.h"

bool CRtfLine::BuildShape(CRtfPage*) { return false; }

bool CRtfImage::SetImageFile(const std::string& path, bool) {
    m_strImagePath = path;
    return true;
}
void CRtfImage::SetPlace(double, double, double, double) {}
std::string CRtfImage::WriteRtf(CRtfPage*) { return {}; }
