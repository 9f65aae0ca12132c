// The variable subsystem: the store, text expansion and conditions.
#pragma once

#include "vars/Collections.h"
#include "vars/VariableManager.h"
#include "vars/comma_text.h"
#include "vars/expand.h"
#include "vars/mEval.h"
#include "vars/texts.h"
