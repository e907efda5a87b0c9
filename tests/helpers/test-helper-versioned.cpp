// Does nothing: the build stamps this program with the file version 3.14.15.9265, which the
// version tests read back from the file.
int main()
{
    return 0;
}
