// The engine tests render metafiles in their own process, as the decoder
// worker does. libemf2svg shuts fontconfig down (FcFini) after every text
// record, and fontconfig then aborts when librsvg still holds its caches; as in
// the worker's own main, this program's FcFini does nothing.
extern "C" void FcFini(void) {}
