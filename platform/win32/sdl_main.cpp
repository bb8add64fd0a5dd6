// The program's entry on Windows: SDL's WinMain hands over the command line
// as UTF-8 arguments, and the program's own main (renamed by the build) runs.
int klangkelterMain(int argc, char** argv);

extern "C" int SDL_main(int argc, char** argv) {
    return klangkelterMain(argc, argv);
}
