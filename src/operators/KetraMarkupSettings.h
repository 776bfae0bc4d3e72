// What the markup operators take from the annotation settings (config/CAppSettings), built
// exactly as the markup operators state them, and the markup layer rule.
#pragma once

#include <string>

typedef long HC_KEY;

class HBaseView;

namespace ketra::operators {

// "text = (r=… g=… b=…), line = (r=… g=… b=…), faces = (r=… g=… b=…)": the annotation
// font, line and background colours, each channel the colour byte / 255 written with six
// significant digits.
std::string MarkupColorString();
// "name = <AnnotationFontName>, size = <AnnotationFontSize>" ("name = Arial, size = 8.0 pts"
// by default).
std::string MarkupTextFontString();
// The integer value of AnnotationLineWeight read as text ("2.000" gives 2).
int MarkupLineWeight();
// The markup manager's current layer; when there is none a new layer (empty name, camera
// stored, change emitted) becomes current. -1 without a view or markup manager.
HC_KEY MarkupLayer(HBaseView* view);
// Hands a changed markup segment to the markup manager's notification when the view emits
// messages.
void NotifyMarkup(HBaseView* view, HC_KEY segment);

} // namespace ketra::operators
