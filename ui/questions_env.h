// What the question dialogs take from start-up: the message catalogue, the
// dialog scaling and the screen size.
#pragma once
#include "app/main_window.h"
#include "app/message_catalogue.h"
