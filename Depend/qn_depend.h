// The program's utility layer in one include.
#pragma once

#include "Depend/ini_config.h"
#include "Depend/qn_folders.h"
#include "Depend/qn_lock.h"
#include "Depend/qn_log.h"
#include "Depend/qn_process.h"
#include "Depend/qn_registry.h"
#include "Depend/qn_system.h"
#include "Depend/qn_text.h"
#include "Depend/qn_thread.h"
#include "Depend/qn_time.h"
