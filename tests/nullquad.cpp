// Preload library: a gluNewQuadric that reports exhausted memory, as GLU does
// when it cannot allocate, so that the real program meets a failed quadric.
extern "C" void* gluNewQuadric()
{
    return nullptr;
}
