#pragma once

// Gives the title page's player what it asks of the application: the per-title list files it
// steps through a series with, the application's alerts, and the in-app share sheets. Installed
// once, before the first player is made.
void TLInstallPlayerServices();
