// Placeholder for the narrow and wide pattern engines.
#pragma once
