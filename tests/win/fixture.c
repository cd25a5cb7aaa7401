/* A do-nothing library that exists only to carry a version resource: the
   player detection tests copy it around under the names real players use. */
__declspec(dllexport) int FixtureVersionProbe(void);

int FixtureVersionProbe(void) { return 0; }
