// The scene shown while no script directs the show: a 48K Spectrum booting its ROM in front of the
// camera and a second one beside it, on a dark blue background. The application keeps the
// televisions and deletes them at its final clean-up.
//
// GLIMMERBOX_STAND_IN_EXCLUSIVE=1 makes the first machine exclusive (its picture fills the display).
#pragma once

#include <memory>
#include <vector>

class CTV;

std::vector<std::unique_ptr<CTV>> BuildStandInScene();
