#pragma once
// SIGINT and SIGTERM only raise a flag; the thread waiting for the updates
// turns it into a stop request at their next safe point. The handlers stay
// installed, so a second Ctrl-C is just another raised flag.
void InstallInterruptHandlers();
bool InterruptRequested();
