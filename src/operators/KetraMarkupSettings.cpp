#include "operators/KetraMarkupSettings.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "config/CAppSettings.h"
#include "platform/mvo/HBaseView.h"
#include "platform/mvo/HMarkupManager.h"

namespace ketra::operators {

namespace {

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

void WriteColor(std::ostringstream& out, std::uint32_t color)
{
    out << "(r=" << (color & 0xFF) / 255.0 << " g=" << ((color >> 8) & 0xFF) / 255.0
        << " b=" << ((color >> 16) & 0xFF) / 255.0;
}

} // namespace

std::string MarkupColorString()
{
    std::ostringstream out; // default precision: six significant digits
    out << "text = ";
    WriteColor(out, CAppSettings::AnnotationFontColor);
    out << "), " << "line = ";
    WriteColor(out, CAppSettings::AnnotationLineColor);
    out << "), " << "faces = ";
    WriteColor(out, CAppSettings::AnnotationBackgroundColor);
    out << ")";
    return out.str();
}

std::string MarkupTextFontString()
{
    return "name = " + Narrow(CAppSettings::AnnotationFontName) + ", " + "size = " +
           Narrow(CAppSettings::AnnotationFontSize);
}

int MarkupLineWeight()
{
    return std::atoi(Narrow(CAppSettings::AnnotationLineWeight).c_str());
}

HC_KEY MarkupLayer(HBaseView* view)
{
    if (!view || !view->GetMarkupManager())
        return -1;
    HMarkupManager* manager = view->GetMarkupManager();
    HC_KEY layer = manager->GetCurrentLayerKey();
    if (layer == -1)
        layer = manager->OpenLayer("", true, true);
    return layer;
}

void NotifyMarkup(HBaseView* view, HC_KEY segment)
{
    if (view && segment != -1 && view->GetEmitMessages() && view->GetMarkupManager())
        view->GetMarkupManager()->EmitMarkupSegment(segment);
}

} // namespace ketra::operators
