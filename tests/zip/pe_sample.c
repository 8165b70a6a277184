/* A tiny Windows program and library: real images for the zip writer's
   executable test. */
#ifdef PE_SAMPLE_LIBRARY
__declspec(dllexport) int PeSampleValue(void) {
    return 7;
}
#else
int main(void) {
    return 0;
}
#endif
