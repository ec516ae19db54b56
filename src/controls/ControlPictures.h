#pragma once
// The panel's button and thumb pictures, drawn by code and looked up by the
// names the panel asks for ("PLAYBMP", "VELOCITYBMP", ...).
#include <QPixmap>

#include <string>

namespace movarel {

// A null picture for a name that is not one of ours.
QPixmap LoadBitmapResource(const std::string& name);

}  // namespace movarel
