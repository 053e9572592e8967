#pragma once

// What a worker process does first: its files are private to the user and a
// hostile picture cannot take all the machine's memory.
void LimitWorkerProcess();

// The worker's main loop: answers requests on `socket` until it closes.
int RunRenderWorker(int socket);
