<ORV@@
