// The session core.
#pragma once
