// Entry point of the launcher.
int main()
{
    return 0;
}
